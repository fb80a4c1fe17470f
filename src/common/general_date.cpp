// Local date and time text.
#include "common/general_date.h"

#include <windows.h>

namespace tarn {

std::wstring GeneralDateTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128);
    return std::wstring(date) + L" " + time;
}

}  // namespace tarn
