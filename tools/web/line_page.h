// The live page of the line: one self-contained HTML document with its script and style.
#pragma once

#include <string>

namespace qrx::web {

std::string LinePageHtml(const std::string &title);

} // namespace qrx::web
