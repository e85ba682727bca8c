#include "run_console.h"

#include "english_texts.h"

#include "../common/ansi_text.h"

#include <cstdio>
#include <iostream>

namespace qrx::tools {

ConsoleSettings &Console() {
  static ConsoleSettings settings;
  return settings;
}

std::mutex &PrintLock() {
  static std::mutex lock;
  return lock;
}

std::string Shown(const std::string &ansi) {
  std::string text = AnsiText::ToUtf8(ansi);
  return Console().english ? EnglishTexts::Translate(text) : text;
}

void Print(int station, const std::string &text) {
  std::lock_guard<std::mutex> hold(PrintLock());
  if (station > 0) std::printf("[S%d] %s\n", station, text.c_str());
  else std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

bool OperatorWantsNext(int station, int unit, bool passed) {
  static std::mutex turn;
  std::lock_guard<std::mutex> hold(turn);
  Print(station, "unit " + std::to_string(unit) + (passed ? " PASS" : " FAIL") +
                     ". Enter: next unit, q: quit");
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
  return answer != "q" && answer != "Q" && answer != "quit";
}

} // namespace qrx::tools
