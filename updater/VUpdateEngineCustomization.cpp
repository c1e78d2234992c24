// Client customization: the server link file written into the up-to-date bundle.

#include "updater/VUpdateEngine.h"

namespace nuvo {

bool VUpdateEngine::_FinishClientCustomization()
{
    // Needs the JSON layer, which has not landed: nothing is customized yet.
    return true;
}

} // namespace nuvo
