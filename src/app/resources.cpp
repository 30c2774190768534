// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/resources.h"

#include <QtGlobal>

// The resource registration lives in a static library: without a reference the linker would drop it.
static void InitResourcesOutsideNamespace() {
  Q_INIT_RESOURCE(resources);
}

namespace lumora {

void InitResources() {
  InitResourcesOutsideNamespace();
}

}  // namespace lumora
