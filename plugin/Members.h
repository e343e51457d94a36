// Script member families. Each registers its members on the instance; CPlugin calls these in
// the registration order of the script interface (methods of every family, then the general
// methods, then properties).
#pragma once

class CPlugin;
class WordParser;
class CImagePaster;
class UploaderTable;

void RegisterWordParserMethods(CPlugin& plugin, WordParser& parser);
void RegisterImagePasterMethods(CPlugin& plugin, CImagePaster& paster);
void RegisterFileUploaderMethods(CPlugin& plugin, UploaderTable& uploaders);
void RegisterWordParserProperties(CPlugin& plugin, WordParser& parser);
void RegisterImagePasterProperties(CPlugin& plugin, CImagePaster& paster);
