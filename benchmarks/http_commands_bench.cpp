// Time of every command that scans a response, beside a plain memcpy of the
// same bytes in the same binary, at 1, 16 and 128 MiB. Each command is run as
// its export runs it, result copied into a string that stands for the text
// slot and keeps its storage between iterations as the slot does. The program
// ends with one table: a line per command, with its time per byte as a
// multiple of memcpy's at each size, and its time per byte at 128 MiB as a
// multiple of its own at 1 MiB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_code_pages.h"
#include "http/header_lines.h"
#include "http/message_parts.h"
#include "platform/files.h"
#include "textconv/text_conversions.h"
#include "textops/textops.h"

namespace {

using namespace tcp;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::array<std::int64_t, 3> kSizes = {1 * kMiB, 16 * kMiB, 128 * kMiB};
constexpr int kRepetitions = 3;

// unit again and again until the text holds at least size bytes.
std::string repeated(std::string_view unit, std::int64_t size) {
  std::string text;
  text.reserve(static_cast<std::size_t>(size) + unit.size());
  while (static_cast<std::int64_t>(text.size()) < size) text += unit;
  return text;
}

std::string plainResponse(std::string_view body) {
  std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: ";
  response += std::to_string(body.size());
  response += "\r\n\r\n";
  response += body;
  return response;
}

std::string chunkedResponse(std::int64_t size, std::size_t chunkSize) {
  char sizeLine[32];
  std::snprintf(sizeLine, sizeof sizeLine, "%zx;ext=1\r\n", chunkSize);
  const std::string chunk = sizeLine + std::string(chunkSize, 'x') + "\r\n";
  return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + repeated(chunk, size) + "0\r\n\r\n";
}

constexpr std::string_view kHtmlLine = "<tr><td class=\"name\">A line of text in a table</td><td>1234</td></tr>\r\n";

// Code page 1251 by table lookups, built from the fake code pages: the
// conversions then measure the plug-in's own work, not a slow test double.
class TableCodePages : public CodePages {
 public:
  TableCodePages() {
    fakes::FakeCodePages fake;
    std::string bytes(256, '\0');
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
    const std::u16string units = fake.ansiToUtf16(bytes);
    lower_ = fake.lowerAnsi(bytes);
    toAnsi_.assign(0x10000, '?');
    for (int i = 255; i >= 0; --i) {
      toUnit_[i] = units[i];
      toAnsi_[units[i]] = static_cast<char>(i);
    }
    tables_ = BuildSingleByteCodePage([this](std::string_view ansi) { return ansiToUtf16(ansi); },
                                      [this](std::u16string_view units) { return utf16ToAnsi(units); });
  }
  std::u16string ansiToUtf16(std::string_view ansi) override {
    std::u16string units(ansi.size(), u'\0');
    for (std::size_t i = 0; i < ansi.size(); ++i) units[i] = toUnit_[static_cast<unsigned char>(ansi[i])];
    return units;
  }
  std::string utf16ToAnsi(std::u16string_view units) override {
    std::string ansi(units.size(), '\0');
    for (std::size_t i = 0; i < units.size(); ++i) ansi[i] = toAnsi_[units[i]];
    return ansi;
  }
  std::string oemToAnsi(std::string_view oem) override { return std::string(oem); }
  std::string ansiToOem(std::string_view ansi) override { return std::string(ansi); }
  bool isLeadByte(unsigned char) override { return false; }
  std::shared_ptr<const SingleByteCodePage> singleByteCodePage() override { return tables_; }
  std::string lowerAnsi(std::string_view ansi) override {
    std::string lower(ansi.size(), '\0');
    for (std::size_t i = 0; i < ansi.size(); ++i) lower[i] = lower_[static_cast<unsigned char>(ansi[i])];
    return lower;
  }

 private:
  std::array<char16_t, 256> toUnit_{};
  std::string toAnsi_;
  std::string lower_;
  std::shared_ptr<const SingleByteCodePage> tables_;
};

// A 1251 text: HTML lines with a Cyrillic word in each ("Привет, мир").
std::string cyrillicText(std::int64_t size) {
  std::string line(kHtmlLine.substr(0, 30));
  line += "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";
  line += kHtmlLine.substr(30);
  return repeated(line, size);
}

// Runs command once to grow every buffer it keeps, then times it.
template <typename Command>
void timed(benchmark::State& state, std::size_t bytes, Command command) {
  command();
  for (auto _ : state) command();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["bytes"] = static_cast<double>(bytes);
}

void Memcpy(benchmark::State& state) {
  const std::string source = repeated(kHtmlLine, state.range(0));
  std::string target(source.size(), '\0');
  timed(state, source.size(), [&] {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  });
}

// A header block as long as the size (lines of some 60 bytes), then a short body.
void Getheader(benchmark::State& state) {
  const std::string block = repeated("X-Header-Line: some value of a header line, long enough\r\n", state.range(0));
  const std::string response = "HTTP/1.1 200 OK\r\n" + block + "\r\nbody";
  std::string slot;
  timed(state, response.size(), [&] { HeaderBlockText(response, slot); });
}

void Gethtml0(benchmark::State& state) {
  const std::string response = plainResponse(repeated(kHtmlLine, state.range(0)));
  std::string slot;
  timed(state, response.size(), [&] { slot = MessageBody(response); });
}

// The body's first line is half the body, so the search and the copy each
// cover half of it.
void Gethtml(benchmark::State& state) {
  const std::string firstLine = repeated("<td>no line feed here</td>", state.range(0) / 2);
  const std::string response = plainResponse(firstLine + "\n" + repeated(kHtmlLine, state.range(0) / 2));
  std::string slot;
  timed(state, response.size(), [&] { slot = BodyAfterFirstLine(response); });
}

// Long markers (beyond 16 bytes) after many near misses of each: the start
// marker half-way, the end marker at the end.
void Parseotvet(benchmark::State& state) {
  const std::string start = "<start-of-the-value-we-want>", end = "</end-of-the-value-we-want>";
  const std::string response = repeated("<start-of-the-value-we-wan!>", state.range(0) / 2) + start +
                               repeated("</end-of-the-value-we-wan!>", state.range(0) / 2) + end;
  std::string slot;
  timed(state, response.size(), [&] { slot = TextBetween(response, start, end); });
}

// Short markers in HTML: many '<' bytes, the start marker half-way.
void Parserez(benchmark::State& state) {
  const std::string decodedBody =
      repeated(kHtmlLine, state.range(0) / 2) + "<div id=\"x\">" + repeated(kHtmlLine, state.range(0) / 2) + "</div>";
  std::string slot;
  timed(state, decodedBody.size(), [&] { slot = TextBetween(decodedBody, "<div id=\"x\">", "</div>"); });
}

void makechunkeds(benchmark::State& state, std::size_t chunkSize) {
  const std::string received = chunkedResponse(state.range(0), chunkSize);
  std::string headerText, decodedBody, slot;
  timed(state, received.size(), [&] {
    SplitResponse(received, headerText, decodedBody);
    slot = decodedBody;
  });
}

void Makechunkeds16k(benchmark::State& state) { makechunkeds(state, 16 * 1024); }
void Makechunkeds64(benchmark::State& state) { makechunkeds(state, 64); }

// kMostHeaderLines lines, as long as the size needs; every tenth is named
// Set-Cookie, and that name is asked for.
void Getheadername(benchmark::State& state) {
  const std::size_t lineSize = static_cast<std::size_t>(state.range(0)) / kMostHeaderLines;
  std::vector<std::string> lines;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < kMostHeaderLines; ++i) {
    std::string line = i % 10 == 0 ? "Set-Cookie: " : "X-Header-" + std::to_string(i) + ": ";
    line += std::string(lineSize - std::min(lineSize, line.size()), 'v');
    bytes += line.size();
    lines.push_back(std::move(line));
  }
  TableCodePages codePages;
  std::string slot;
  timed(state, bytes, [&] { slot = HeaderLinesNamed(lines, "set-cookie", codePages); });
}

// The text slot holds the text, and the command converts it where it lies.
template <typename Command>
void inTheSlot(benchmark::State& state, const std::string& text, Command command) {
  std::string slot = text;
  command(slot);
  for (auto _ : state) {
    state.PauseTiming();
    slot = text;
    state.ResumeTiming();
    command(slot);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

// A self-overlapping marker in HTML, alone, in runs, and nested so that each
// removal brings a new occurrence together.
void Strip(benchmark::State& state) {
  const std::string text = repeated("<p>A line of text in a paragraph</p><br><br><br>\r\n<div><br<br><br>><br>></div>\r\n",
                                    state.range(0));
  inTheSlot(state, text, [](std::string& slot) { StripMarker(slot, "<br><br>"); });
}

void Utfenk(benchmark::State& state) {
  TableCodePages codePages;
  inTheSlot(state, cyrillicText(state.range(0)), [&](std::string& slot) { ConvertToUtf8(slot, codePages); });
}

void Utfdek(benchmark::State& state) {
  TableCodePages codePages;
  const std::string utf8 = Utf8FromAnsi(cyrillicText(state.range(0)), codePages);
  inTheSlot(state, utf8, [&](std::string& slot) { ConvertFromUtf8(slot, codePages); });
}

// The payload of a plain response as the export takes it (the body in place),
// written to a memory sink that keeps its storage, as a file would.
void Savebin(benchmark::State& state) {
  const std::string response = plainResponse(repeated(kHtmlLine, state.range(0)));
  std::string sink;
  timed(state, response.size(), [&] {
    std::string decoded;
    sink.assign(PayloadOf(response, decoded));
  });
}

// Files written for real, with one write() per piece, into the page cache of
// a file in the temporary folder: the kernel copies each piece once, as the
// platform's WriteFile does, and each piece costs a call into it.
class PosixFiles : public FileSystem {
 public:
  WriteResult writeFile(const std::string& path, const Pieces& pieces) override {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file < 0) return {0, 1};
    WriteResult result;
    for (std::string_view piece; result.error == 0 && !(piece = pieces()).empty();) {
      const ssize_t written = ::write(file, piece.data(), piece.size());
      if (written != static_cast<ssize_t>(piece.size())) result.error = 1;
      result.written += written > 0 ? static_cast<std::uint64_t>(written) : 0;
    }
    ::close(file);
    return result;
  }
  std::uint32_t replaceFile(const std::string&, const std::string&) override { return 0; }
  void removeFile(const std::string& path) override { ::unlink(path.c_str()); }
  ReadResult readFile(const std::string&, std::size_t) override { return {}; }
};

// Files that take each piece as a write into the page cache does, with one
// copy into storage of their own (a megabyte, written round), and keep no
// file. The kernel's own cost of a write (the call, the cache's pages) is the
// same for every program that writes the file, and the -file rows show it;
// left out here, what remains is the plug-in's work and the one copy that
// any write makes.
class CopyingFiles : public FileSystem {
 public:
  WriteResult writeFile(const std::string&, const Pieces& pieces) override {
    WriteResult result;
    for (std::string_view piece; !(piece = pieces()).empty();) {
      while (!piece.empty()) {
        const std::size_t length = std::min(piece.size(), storage_.size() - at_);
        std::memcpy(storage_.data() + at_, piece.data(), length);
        at_ = (at_ + length) % storage_.size();
        piece.remove_prefix(length);
        result.written += length;
      }
    }
    benchmark::DoNotOptimize(storage_.data());
    return result;
  }
  std::uint32_t replaceFile(const std::string&, const std::string&) override { return 0; }
  void removeFile(const std::string&) override {}
  ReadResult readFile(const std::string&, std::size_t) override { return {}; }

 private:
  std::string storage_ = std::string(kMiB, '\0');
  std::size_t at_ = 0;
};

// A chunked response saved as savebin saves it, chunk data into the file in
// blocks.
void savebinChunked(benchmark::State& state, FileSystem& files, std::size_t chunkSize) {
  const std::string received = chunkedResponse(state.range(0), chunkSize);
  const std::string path = (std::filesystem::temp_directory_path() / "http_commands_bench.savebin").string();
  std::uint64_t written = 0;
  timed(state, received.size(), [&] {
    PayloadBlocks payload(received);
    written = files.writeFile(path, [&payload] { return payload.next(); }).written;
  });
  files.removeFile(path);
  if (written == 0) state.SkipWithError("nothing written");
}

void Savebin16k(benchmark::State& state) {
  CopyingFiles files;
  savebinChunked(state, files, 16 * 1024);
}
void Savebin64(benchmark::State& state) {
  CopyingFiles files;
  savebinChunked(state, files, 64);
}
void Savebin16kFile(benchmark::State& state) {
  PosixFiles files;
  savebinChunked(state, files, 16 * 1024);
}
void Savebin64File(benchmark::State& state) {
  PosixFiles files;
  savebinChunked(state, files, 64);
}

struct Command {
  const char* name;
  void (*run)(benchmark::State&);
};

constexpr Command kCommands[] = {
    {"memcpy", Memcpy},
    {"getheader", Getheader},
    {"gethtml0", Gethtml0},
    {"gethtml", Gethtml},
    {"parseotvet", Parseotvet},
    {"parserez", Parserez},
    {"makechunkeds-16KiB", Makechunkeds16k},
    {"makechunkeds-64B", Makechunkeds64},
    {"getheadername", Getheadername},
    {"strip", Strip},
    {"utfenk", Utfenk},
    {"utfdek", Utfdek},
    {"savebin", Savebin},
    {"savebin-16KiB", Savebin16k},
    {"savebin-64B", Savebin64},
    {"savebin-16KiB-file", Savebin16kFile},
    {"savebin-64B-file", Savebin64File},
};

// The console output as usual, and the median time per byte of every
// command and size kept for the table. The table takes processor time, which
// counts the kernel's page faults but not the waits of a machine shared with
// other work.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  TableReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double bytes = run.counters.at("bytes");
      perByte_[run.run_name.function_name][std::stoll(run.run_name.args)].push_back(run.GetAdjustedCPUTime() / bytes);
    }
  }

  void printTable() {
    std::printf("\ncommand time per byte as a multiple of memcpy's (processor time, median of %d runs)\n", kRepetitions);
    std::printf("%-20s %10s %10s %10s %14s\n", "", "1 MiB", "16 MiB", "128 MiB", "128 / 1 MiB");
    for (const Command& command : kCommands) {
      std::printf("%-20s", command.name);
      for (std::int64_t size : kSizes) std::printf(" %9.2fx", ratio(command.name, size));
      std::printf(" %13.2fx", median(command.name, kSizes.back()) / median(command.name, kSizes.front()));
      std::printf("   %s: %.2f x memcpy at 128 MiB\n", command.name, ratio(command.name, kSizes.back()));
    }
  }

 private:
  double median(const char* name, std::int64_t size) {
    std::vector<double>& times = perByte_[name][size];
    if (times.empty()) return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }
  double ratio(const char* name, std::int64_t size) {
    const double base = median("memcpy", size);
    return base > 0 ? median(name, size) / base : 0;
  }

  std::map<std::string, std::map<std::int64_t, std::vector<double>>> perByte_;
};

// Enough iterations that each run lasts some 50 ms at memcpy's speed.
int iterationsFor(std::int64_t size) { return static_cast<int>(std::max<std::int64_t>(2, 2048 * kMiB / size / 8)); }

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const Command& command : kCommands)
    for (std::int64_t size : kSizes)
      benchmark::RegisterBenchmark(command.name, command.run)
          ->Arg(size)
          ->Iterations(iterationsFor(size))
          ->Repetitions(kRepetitions)
          ->Unit(benchmark::kMillisecond);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printTable();
  benchmark::Shutdown();
}
