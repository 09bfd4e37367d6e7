// The reference converter's reading of a page: the visible text of an HTML
// page or of the HTML part of an MHTML archive.
#pragma once

#include <string>
#include <vector>

// The text lines of an HTML page (UTF-8): tags dropped, scripts and styles
// skipped, block elements and <br> end a line, character references decoded,
// runs of white space folded to one blank. Empty lines are dropped.
std::vector<std::string> HtmlTextLines(const std::string& html);

// The HTML of an MHTML archive: the first text/html part, its quoted-printable
// or Base64 transfer encoding undone. A text without MIME structure is taken
// as HTML itself.
std::string MhtmlHtmlPart(const std::string& mhtml);
