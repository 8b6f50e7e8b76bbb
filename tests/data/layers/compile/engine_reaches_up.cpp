// Compiled against the engine's include root, this must fail: repair/ and ui/
// lie above the engine. Compiled against the repair root, it must still fail on ui/.
#include "repair/xml_writer.h"
#include "ui/settings_store.h"
