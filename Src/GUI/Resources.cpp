#include "GUI/Resources.h"

#include <QtGlobal>

// The resource data lives in a static library; registering it from code that the program
// certainly calls keeps the linker from dropping it.
static void RegisterResources()
{
    Q_INIT_RESOURCE(Resources);
}

namespace GUI {

void InitialiseResources()
{
    static const bool registered = (RegisterResources(), true);
    (void)registered;
}

} // namespace GUI
