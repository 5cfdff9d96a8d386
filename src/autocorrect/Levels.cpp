#include "autocorrect/SectionMove.h"
#include "autocorrect/SettingsSection.h"

namespace corvane {

void CorrectLevels(SettingsSection& settings) {
    // A negative master level (the default for an absent key) changes nothing.
    float master = static_cast<float>(settings.GetDouble("MasterLevel", -1.0));
    if (!(master >= 0))
        return;
    float output = static_cast<float>(settings.GetDouble("OutputLevel", master));
    if (settings.WriteDouble("OutputLevel", output))
        settings.DeleteKey("MasterLevel");
    else
        ReportWriteError(settings.Name(), "OutputLevel");
}

} // namespace corvane
