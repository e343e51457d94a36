#include "plugin/WordParser.h"

WordParser::WordParser(NPP npp) : npp_(npp) {}

WordParser::~WordParser() = default;
