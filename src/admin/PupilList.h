#pragma once

class PageComposer;
class Recordset;

// The body of the printed pupil list of a class: two empty lines, then one
// line per pupil of `pupils` (VIEW_ELEVE): the name in bold, followed, for an
// occupation code from 1 to 7, by three blanks and the occupation in 8-point
// type. The recordset is left on the row it was on.
void ComposePupilList(PageComposer &document, Recordset &pupils);
