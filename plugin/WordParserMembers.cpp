#include "plugin/Members.h"
#include "plugin/WordParser.h"

void RegisterWordParserMethods(CPlugin&, WordParser&) {}

void RegisterWordParserProperties(CPlugin&, WordParser&) {}
