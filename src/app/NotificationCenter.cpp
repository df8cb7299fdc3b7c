#include "app/NotificationCenter.h"

namespace trimlark {

NotificationCenter& NotificationCenter::Default()
{
    static NotificationCenter center;
    return center;
}

} // namespace trimlark
