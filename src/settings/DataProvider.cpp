#include "settings/DataProvider.h"

namespace trimlark {

DataProvider& DataProvider::Shared()
{
    static DataProvider instance;
    return instance;
}

} // namespace trimlark
