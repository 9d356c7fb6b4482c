// The media elements the station's pipelines are built from, kept in one place so start-up can
// tell at once when the machine lacks one.
#pragma once

#include <QStringList>

namespace ovistra {

// Element factories every pipeline of the station may need.
const QStringList& RequiredMediaElements();

// Those the media framework cannot provide; all of them when the framework is not initialised.
QStringList MissingMediaElements();

}  // namespace ovistra
