#include "ui/ImageStore.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/XmlDocument.h"
#include "data/XmlNode.h"
#include "ui/IconPainter.h"

namespace VORLIN {

namespace {

std::map<std::string, QIcon>& loaded() {
    static std::map<std::string, QIcon> images;
    return images;
}

std::map<std::string, QIcon>& painted() {
    static std::map<std::string, QIcon> images;
    return images;
}

}  // namespace

QIcon ImageStore::icon(const String& name) {
    const std::string key = name.toStdString();
    if (auto it = loaded().find(key); it != loaded().end()) return it->second;
    auto& cache = painted();
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    QIcon drawn = IconPainter::paint(key);
    if (!drawn.isNull()) cache.emplace(key, drawn);
    return drawn;
}

bool ImageStore::hasLoaded(const String& name) {
    return loaded().count(name.toStdString()) != 0;
}

void ImageStore::add(const String& name, const QImage& image) {
    if (image.isNull() || name.isEmpty()) return;
    loaded()[name.toStdString()] = QIcon(QPixmap::fromImage(image));
}

void ImageStore::clear() {
    loaded().clear();
}

int ImageStore::loadAppendedBlock(const String& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return 0;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return 0;
    const long size = std::ftell(f.get());
    if (size < 10) return 0;
    unsigned char tail[10];
    if (std::fseek(f.get(), size - 10, SEEK_SET) != 0 || std::fread(tail, 1, 10, f.get()) != 10)
        return 0;
    if (std::string(reinterpret_cast<char*>(tail) + 4, 6) != kTrailer) return 0;
    const uint32_t n = uint32_t(tail[0]) | uint32_t(tail[1]) << 8 | uint32_t(tail[2]) << 16 |
                       uint32_t(tail[3]) << 24;
    if (n == 0 || long(n) > size - 10) return 0;
    std::string bytes(n, '\0');
    if (std::fseek(f.get(), size - 10 - long(n), SEEK_SET) != 0 ||
        std::fread(bytes.data(), 1, n, f.get()) != n)
        return 0;
    Archive archive(false, 1024);
    try {
        archive.writeBytes(bytes.data(), n);
        archive.setLoading(true);
        archive.rewind();
        return loadArchive(archive);
    } catch (const GeneralException&) {
        return 0;
    }
}

int ImageStore::loadArchive(Archive& archive) {
    int added = 0;
    try {
        const int32_t count = archive.readInt();
        archive.requireCount(count, 8);
        for (int32_t i = 0; i < count; ++i) {
            String name = archive.readString();
            String png = archive.readString();
            QImage image;
            if (image.loadFromData(reinterpret_cast<const uchar*>(png.c_str()),
                                   int(png.length())) &&
                !name.isEmpty()) {
                add(name, image);
                ++added;
            }
        }
    } catch (const GeneralException&) {
        // A damaged archive keeps what was read before the damage.
    }
    return added;
}

void ImageStore::writeArchive(Archive& archive,
                              const std::vector<std::pair<String, QImage>>& images) {
    archive.writeInt(int32_t(images.size()));
    for (const auto& [name, image] : images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        archive.writeString(name);
        archive.writeString(String(TextRef(png.constData(), size_t(png.size()))));
    }
}

int ImageStore::loadXmlResources(const String& path) {
    XmlDocument doc;
    if (!doc.loadFile(path)) return 0;
    const QDir folder = QFileInfo(QString::fromUtf8(path.c_str())).absoluteDir();
    int added = 0;
    const XmlNode* node = nullptr;
    while ((node = doc.root().findChild("IMAGE", node, true)) != nullptr) {
        const String name = node->attribute("NAME");
        const String file = node->attribute("FILE");
        if (name.isEmpty() || file.isEmpty()) continue;
        QImage image(folder.filePath(QString::fromUtf8(file.c_str())));
        if (image.isNull()) continue;
        add(name, image);
        ++added;
    }
    return added;
}

}  // namespace VORLIN
