// An engine header that reaches up into the repair side.
#pragma once
#include "repair/xml_writer.h"
