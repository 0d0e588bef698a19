// Small helpers shared by the XML document tests: documents are written by the tests
// themselves into a temporary directory and loaded from there.
#pragma once

#include "tests/support/TempDir.h"
#include "xmldoc/XmlDocument.h"
#include "xmldoc/XmlRoot.h"

#include <string>
#include <string_view>
#include <vector>

namespace ponteva::test {

// Writes the bytes to dir/name and loads them into doc.
xml::LoadResult loadBytes(
    xml::Document& doc, const TempDir& dir, std::string_view bytes, std::string_view name = "centro.xml");
// Writes the bytes to dir/name and reads their root into root.
xml::LoadResult readRootBytes(
    xml::RootOutline& root, const TempDir& dir, std::string_view bytes, std::string_view name = "centro.xml");

// The two ways a document is read: as a tree, or as a stream that keeps only the root.
enum class Reader { Tree, Root };
const char* readerName(Reader reader);
// Loads the bytes the given way; empty tells whether nothing was kept.
xml::LoadResult readBytes(Reader reader, const TempDir& dir, std::string_view bytes, bool& empty);

// UTF-8 to UTF-16 with its byte order mark, little or big endian.
std::string toUtf16(std::string_view utf8, bool bigEndian);

// The "id" attribute of each element, comma separated.
std::string ids(const std::vector<xml::Element>& elements);

} // namespace ponteva::test
