// The module's string table for native builds; Windows builds carry it in
// reduct_com.rc.
#include "platform/platform.h"

const StandInString StandInModuleStrings[] = {
    {100, u"Reduct"},
    {0, nullptr},
};
