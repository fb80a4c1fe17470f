// The current local date and time as the system writes it in its general date format.
#pragma once

#include <string>

namespace tarn {

// Short date, one blank, long time, in the user's locale.
std::wstring GeneralDateTimeNow();

}  // namespace tarn
