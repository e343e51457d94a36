// Office markup: Word closes every paragraph with an <o:p> element, empty or holding a blank;
// a browser knows no such element.
#include "Office/steps/Steps.h"

void RemoveOfficeMarkup(Conversion& c) {
    c.ReplaceAll("<o:p></o:p>", "");
    c.StripBlocks("<o:p>", "</o:p>", true);
}
