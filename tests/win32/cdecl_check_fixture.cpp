// A DLL for the calling-convention check's own test, built without
// optimisation and in source order so that each function lands where it is
// written: the caller-cleans entry point is followed by a local thiscall
// function, which removes its argument ("ret $4").

namespace {

struct Counter {
  int value = 0;
  __attribute__((thiscall, noinline)) int add(int amount);
};

}  // namespace

extern "C" __declspec(dllexport) int callerCleans(int amount) {
  Counter counter;
  return counter.add(amount);
}

__attribute__((thiscall, noinline)) int Counter::add(int amount) { return value += amount; }

// Named like a caller-cleans entry point, but it removes its argument itself.
extern "C" __declspec(dllexport) __attribute__((naked)) int removesItsOwn(int) {
  __asm__("movl 4(%esp), %eax\n\tret $4");
}
