#include "colour_scheme.h"

namespace ovistra {

ColourScheme& CurrentColourScheme() {
    static ColourScheme scheme;
    return scheme;
}

}  // namespace ovistra
