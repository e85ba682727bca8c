// The table of the library's fixed texts (UTF-8) and their English, longest first so that a
// whole message wins over the words inside it.
#include "english_texts.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qrx::tools {
namespace {

const std::vector<std::pair<std::string, std::string>> &Table() {
  static const std::vector<std::pair<std::string, std::string>> table = [] {
    std::vector<std::pair<std::string, std::string>> t = {
        // Labels of the test-item lines.
        {"测试项目", "item"},
        {"测试数值", "value"},
        {"上限", "upper"},
        {"下限", "lower"},
        {"测试结果", "result"},
        // The serial-number prompt and its buttons.
        {"请输入条码：", "Enter the barcode: "},
        {"条码", "Barcode"},
        {"确定", "OK"},
        {"取消", "Cancel"},
        // Setting files: "加载配置文件%s失败", "保存配置文件%s失败".
        {"加载配置文件", "Loading the configuration file "},
        {"保存配置文件", "Saving the configuration file "},
        // Instruments.
        {"VISA库加载失败,请重新安装VISA或重启计算机后重试!",
         "The VISA library could not be loaded; reinstall VISA or restart the computer and try again!"},
        {"VISA库打开默认RM失败", "The VISA library could not open its default resource manager"},
        {"测试仪无法控制,请确认PC上是否有GPIB卡并且地址配置无误!",
         "The tester cannot be controlled; check that the PC has a GPIB card and that the address is configured correctly!"},
        {"加载仪表动态库失败!", "Could not load the instrument library!"},
        {"加载导出函数GetQRXCalInstrInterface失败!",
         "Could not load the export GetQRXCalInstrInterface!"},
        // Serial-number and download managers.
        {"请在脚本界面配置必要的型号机类型，参数名称：",
         "Configure the required phone type in the script settings, parameter name: "},
        // BI plug-in loaders: "获取BI Create Function Address fail", "调用... Create Function Fail".
        {"获取", "Get "},
        {"调用", "Call "},
        // The tail of the setting-file messages, after their file name.
        {"失败", " failed"},
    };
    std::stable_sort(t.begin(), t.end(),
                     [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    return t;
  }();
  return table;
}

} // namespace

std::string EnglishTexts::Translate(const std::string &utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    bool replaced = false;
    // Every fixed text starts with a non-ASCII character or "VISA"; skip the rest quickly.
    if (static_cast<unsigned char>(utf8[i]) >= 0x80 || utf8[i] == 'V') {
      for (const auto &[chinese, english] : Table()) {
        if (utf8.compare(i, chinese.size(), chinese) == 0) {
          out += english;
          i += chinese.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += utf8[i++];
  }
  return out;
}

} // namespace qrx::tools
