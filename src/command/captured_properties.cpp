#include "command/captured_properties.h"

CapturedPropertiesRecord CapturedProperties = {};
