#include "app/query/BIFFRecord.h"

#include <algorithm>
#include <cstring>

#include "core/GeneralException.h"
#include "data/FileStream.h"

std::string BIFFRecord::bytes() const {
    std::string out;
    appendTo(out);
    return out;
}

void BIFFRecord::put16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}

void BIFFRecord::putCellHeader(std::string& out, uint16_t id, uint16_t length,
                               const ExcelCell& cell) {
    put16(out, id);
    put16(out, length);
    put16(out, cell.row);
    put16(out, cell.column);
    for (uint8_t a : cell.attributes)
        out.push_back(char(a));
}

void BIFFRecord::writeBytes(VORLIN::FileStream& file, const std::string& bytes) {
    if (file.write(bytes.data(), bytes.size()) != bytes.size())
        throw VORLIN::GeneralException(kWriteFailed);
}

void excelBOF::appendTo(std::string& out) const {
    put16(out, 0x0009);
    put16(out, 4);
    put16(out, version);
    put16(out, streamType);
}

void excelBOF::write(VORLIN::FileStream& file) const {
    writeBytes(file, bytes());
}

void excelNUMBER::appendTo(std::string& out) const {
    putCellHeader(out, 0x0003, 15, cell_);
    uint64_t bits;
    std::memcpy(&bits, &cell_.value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out.push_back(char((bits >> (8 * i)) & 0xFF));
}

void excelNUMBER::write(VORLIN::FileStream& file) const {
    writeBytes(file, bytes());
}

void excelLABEL::appendTo(std::string& out) const {
    const std::string_view text = cell_.text.view();
    if (text.empty()) {
        putCellHeader(out, 0x0001, 8, cell_);
        out.push_back('\0');
        return;
    }
    const size_t n = std::min<size_t>(text.size(), 255);
    putCellHeader(out, 0x0004, uint16_t(8 + n), cell_);
    out.push_back(char(n));
    out.append(text.substr(0, n));
}

void excelLABEL::write(VORLIN::FileStream& file) const {
    writeBytes(file, bytes());
}

void excelEOF::appendTo(std::string& out) const {
    put16(out, 0x000A);
    put16(out, 0);
}

void excelEOF::write(VORLIN::FileStream& file) const {
    writeBytes(file, bytes());
}
