// ImageStore: the named pictures every window takes its images from
// ("DB_LOCAL", "OPEN", "ERROR", ...).
//
// Every name the application asks for has a built-in picture, drawn by
// IconPainter. Pictures can be replaced from two sources, read at start-up:
// - the block appended to the program file: the store's archive, then its
//   length N as 4 bytes little-endian, then the ASCII text "INCBMP". The
//   archive holds an int count and, per picture, its name and its PNG
//   bytes (both as archive texts);
// - resource files ("zarav.xml", "res.xml"): an XML document whose
//   "IMAGE" elements carry "NAME" and "FILE" attributes, FILE being a PNG
//   (or any image Qt reads) relative to the XML file's folder.
// A picture that cannot be read is skipped; a missing source loads nothing.
//
// Process-wide store. Threads: the UI thread only (QPixmap). The loaders
// answer how many pictures they added and never throw.
#pragma once

#include <QIcon>
#include <QImage>

#include "core/String.h"

namespace VORLIN {

class Archive;

class ImageStore {
public:
    static constexpr const char* kTrailer = "INCBMP";

    // The picture of `name`: a loaded one, else the built-in one, else a
    // null icon for a name nobody draws.
    static QIcon icon(const String& name);
    static bool hasLoaded(const String& name);
    static void add(const String& name, const QImage& image);
    // Drops every loaded picture (the built-in ones stay).
    static void clear();

    // The appended block of the file at `path` (the program file is
    // "/proc/self/exe").
    static int loadAppendedBlock(const String& path);
    static int loadArchive(Archive& archive);
    static int loadXmlResources(const String& path);

    // Writes a store archive of `images` (name, image) into `archive`, as
    // loadArchive reads it; for the build tools and the tests.
    static void writeArchive(Archive& archive,
                             const std::vector<std::pair<String, QImage>>& images);
};

}  // namespace VORLIN
