#include "fake_window_system.h"

namespace tcp::fakes {
namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string showName(ShowCommand command) {
  return command == ShowCommand::Hide ? "SW_HIDE" : command == ShowCommand::Show ? "SW_SHOW" : "SW_?";
}

}  // namespace

std::string hex(std::uintmax_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "0x" + digits;
}

void FakeWindowSystem::postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  calls.push_back("PostMessage(" + hex(window) + ", " + hex(message) + ", " + std::to_string(wParam) + ", " +
                  std::to_string(lParam) + ")");
  posted.push_back({window, message, wParam, lParam});
}

void FakeWindowSystem::sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  calls.push_back("SendMessage(" + hex(window) + ", " + hex(message) + ", " + std::to_string(wParam) + ", " +
                  std::to_string(lParam) + ")");
  if (onSendMessage) onSendMessage();
}

WindowHandle FakeWindowSystem::createApplicationWindow(const std::string& caption) {
  const WindowHandle window = nextWindow_++;
  calls.push_back("CreateApplicationWindow(" + quoted(caption) + ") -> " + hex(window));
  applicationCaptions.push_back(caption);
  return window;
}

void FakeWindowSystem::destroyWindow(WindowHandle window) {
  calls.push_back("DestroyWindow(" + hex(window) + ")");
  destroyed.push_back(window);
}

void FakeWindowSystem::showMessageBox(WindowHandle owner, const std::string& title, const std::string& text) {
  calls.push_back("MessageBox(" + hex(owner) + ", " + quoted(title) + ", " + quoted(text) + ")");
  messageBoxes.push_back({owner, title, text});
}

WindowHandle FakeWindowSystem::getParent(WindowHandle window) {
  calls.push_back("GetParent(" + hex(window) + ")");
  const auto found = parents.find(window);
  return found == parents.end() ? 0 : found->second;
}

WindowHandle FakeWindowSystem::createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events) {
  const WindowHandle window = nextWindow_++;
  calls.push_back("CreateFormWindow(" + quoted(layout.caption) + ", owner " + hex(layout.owner) + ", style " +
                  hex(layout.style) + ", ex " + hex(layout.extendedStyle) + ", client " +
                  std::to_string(layout.clientWidth) + "x" + std::to_string(layout.clientHeight) + ", font " +
                  quoted(layout.fontFace) + ") -> " + hex(window));
  formEvents_[window] = &events;
  return window;
}

void FakeWindowSystem::destroyFormWindow(WindowHandle form) {
  calls.push_back("DestroyFormWindow(" + hex(form) + ")");
  formEvents_.erase(form);
  destroyed.push_back(form);
}

void FakeWindowSystem::removeCloseCommand(WindowHandle window) {
  calls.push_back("RemoveCloseCommand(" + hex(window) + ")");
}

void FakeWindowSystem::setStyle(WindowHandle window, std::uint32_t style) {
  calls.push_back("SetStyle(" + hex(window) + ", " + hex(style) + ")");
}

void FakeWindowSystem::setExtendedStyle(WindowHandle window, std::uint32_t extendedStyle) {
  calls.push_back("SetExtendedStyle(" + hex(window) + ", " + hex(extendedStyle) + ")");
}

void FakeWindowSystem::showWindow(WindowHandle window, ShowCommand command) {
  calls.push_back("ShowWindow(" + hex(window) + ", " + showName(command) + ")");
}

void FakeWindowSystem::setParent(WindowHandle child, WindowHandle parent) {
  calls.push_back("SetParent(" + hex(child) + ", " + hex(parent) + ")");
}

void FakeWindowSystem::setBounds(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height) {
  calls.push_back("SetBounds(" + hex(window) + ", " + std::to_string(x) + ", " + std::to_string(y) + ", " +
                  std::to_string(width) + ", " + std::to_string(height) + ")");
}

FormWindowEvents* FakeWindowSystem::eventsOf(WindowHandle form) const {
  const auto found = formEvents_.find(form);
  return found == formEvents_.end() ? nullptr : found->second;
}

}  // namespace tcp::fakes
