#pragma once

class Connection;
class PageComposer;

// The printed pupil list of a class: under its title, the header names the
// school and the class; the body is two empty lines, then one
// line per pupil of the class in list order: the name in bold, followed, for
// an occupation code from 1 to 7, by three blanks and the occupation in
// 8-point type.
void ComposePupilList(PageComposer &document, const Connection &connection, int schoolNo, int classNo);
