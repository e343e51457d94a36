// The document tree taken from htmlcxx's own DOM parser (quadratic on some inputs, and its tree
// frees nodes recursively): the reference for BuildHtmlTree.
#pragma once

#include <string>

#include "Office/HtmlTree.h"

HtmlTree BuildHtmlTreeWithDom(const std::string& html);
