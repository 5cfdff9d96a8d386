#include "plugins/PluginMenu.h"

namespace corvane {

CPluginMenu::CPluginMenu() : m_root("", "", 0, nullptr, -1), m_iniFile(nullptr) {
    m_root.SetText(kTextPath, "PlugIns");
    m_iniFile.m_bAutoReload = false;
    m_iniFile.m_bAutoSave = false;
}

CPluginMenu::~CPluginMenu() = default;

} // namespace corvane
