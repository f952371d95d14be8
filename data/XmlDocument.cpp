#include "data/XmlDocument.h"

#include <string>

#include "core/GeneralException.h"
#include "data/FileStream.h"
#include "data/XmlReader.h"

namespace VORLIN {

XmlDocument::XmlDocument(TextRef encoding)
    : version_("version=\"1.0\""), root_(std::make_unique<XmlNode>()) {
    setEncoding(encoding);
}

void XmlDocument::setEncoding(TextRef encoding) {
    encoding_ = encoding.size() == 0 ? TextRef("UTF-8") : encoding;
    encodingText_.format("encoding=\"%s\"", encoding_.c_str());
    kind_ = xmlEncodingOf(encoding_);
}

String& XmlDocument::toText(String& out) const {
    std::string text = "<?xml ";
    text.append(version_.view()).append(" ").append(encodingText_.view()).append(" ?>\r\n");
    root_->appendText(text);
    if (kind_ == XmlEncoding::Latin1) text = utf8ToLatin1(text);
    out = TextRef(text);
    return out;
}

String XmlDocument::toText() const {
    String out;
    return toText(out);
}

bool XmlDocument::saveFile(TextRef path) const {
    String text;
    toText(text);
    FileStream file;
    if (!file.create(path)) return false;
    bool written = file.write(text) == text.length();
    return file.flush() && written;
}

bool XmlDocument::loadFile(TextRef path, bool wrapRoot, bool checkHeader) {
    FileStream file;
    if (!file.open(path, "rb")) {
        error_ = "XmlDocument.loadFile: no se pudo abrir el archivo";
        return false;
    }
    // The size is only a hint (the file may change while it is read, or be
    // a pipe): reading goes on until the end of the file.
    std::string data;
    int64_t size = file.size();
    if (size > 0 && size < (int64_t(1) << 30)) data.reserve(size_t(size));
    char chunk[65536];
    for (;;) {
        size_t got = file.read(chunk, sizeof chunk);
        if (got == 0) break;
        data.append(chunk, got);
    }
    return parse(TextRef(data), wrapRoot, checkHeader);
}

bool XmlDocument::parse(TextRef text, bool wrapRoot, bool checkHeader) {
    error_.clear();
    root_->clear();
    root_->setName("");
    root_->setContent("", false);
    try {
        XmlReader reader(text.view());
        if (checkHeader) {
            XmlReader::Header header;
            if (!reader.readHeader(header)) {
                error_ = reader.error();
                return false;
            }
            version_.format("version=\"%s\"", header.version.c_str());
            setEncoding(header.encoding);
            standalone_ = header.standalone;
        }
        // A declared Latin-1 text is converted once, as a whole: the markup
        // is ASCII and stays as it is, and every name, value and content
        // read afterwards is UTF-8.
        if (kind_ == XmlEncoding::Latin1) reader.convertFromLatin1();

        XmlNode* target = root_.get();
        if (wrapRoot) {
            root_->setName("/");
            target = &root_->addChild("");
        }
        if (!reader.readElement(*target, kMaxDepth)) {
            error_ = reader.error();
            return false;
        }
        return true;
    } catch (const GeneralException& e) {
        // Only a text longer than a String can hold gets here.
        error_ = TextRef(e.message());
        return false;
    }
}

}  // namespace VORLIN
