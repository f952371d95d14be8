// BIFFRecord: the records of a one-sheet spreadsheet file of the oldest
// kind (BIFF2), each written with its exact bytes: an id (2 bytes), a
// length (2 bytes) and the body, integers little-endian.
//
//   excelBOF     09 00 04 00, version 2, stream type 0x0010
//   excelNUMBER  03 00 0F 00, row, column, 3 attribute bytes, IEEE double
//   excelLABEL   04 00 (8+n), row, column, 3 attribute bytes, n, n bytes;
//                an empty text is the empty-label record 01 00 08 00, row,
//                column, 3 attribute bytes, one byte 0
//   excelEOF     0A 00 00 00
//
// A label holds at most 255 bytes of 8-bit text (the length is one byte):
// longer texts are cut (the writer converts and cuts them beforehand).
//
// Ownership: records hold copies of their values. Thread use: any.
// Throws GeneralException kWriteFailed when the file takes fewer bytes than
// written (a full disk).
#pragma once

#include <cstdint>
#include <string>

#include "core/String.h"

namespace VORLIN {
class FileStream;
}

// One cell of the sheet, as the writer collects it.
struct ExcelCell {
    enum Kind : uint16_t { Empty = 0, Number = 1, Label = 2 };
    uint16_t row = 0;
    uint16_t column = 0;
    uint8_t attributes[3] = {0, 0, 0};
    VORLIN::String text;  // 8-bit text of a label
    double value = 0.0;   // value of a number
    uint16_t kind = Empty;
};

class BIFFRecord {
public:
    static constexpr const char* kWriteFailed = "BIFFRecord.write: no se pudo escribir el archivo";

    virtual ~BIFFRecord() = default;
    virtual void write(VORLIN::FileStream& file) const = 0;
    // The record's bytes, as write() puts them in the file.
    std::string bytes() const;

protected:
    virtual void appendTo(std::string& out) const = 0;
    static void put16(std::string& out, uint16_t v);
    // id, length, row, column and the three attribute bytes.
    static void putCellHeader(std::string& out, uint16_t id, uint16_t length,
                              const ExcelCell& cell);
    static void writeBytes(VORLIN::FileStream& file, const std::string& bytes);
};

class excelBOF : public BIFFRecord {
public:
    uint16_t version = 2;
    uint16_t streamType = 0x0010;
    void write(VORLIN::FileStream& file) const override;

protected:
    void appendTo(std::string& out) const override;
};

class excelNUMBER : public BIFFRecord {
public:
    explicit excelNUMBER(const ExcelCell& cell) : cell_(cell) {}
    void write(VORLIN::FileStream& file) const override;

protected:
    void appendTo(std::string& out) const override;

private:
    ExcelCell cell_;
};

class excelLABEL : public BIFFRecord {
public:
    explicit excelLABEL(const ExcelCell& cell) : cell_(cell) {}
    void write(VORLIN::FileStream& file) const override;

protected:
    void appendTo(std::string& out) const override;

private:
    ExcelCell cell_;
};

class excelEOF : public BIFFRecord {
public:
    void write(VORLIN::FileStream& file) const override;

protected:
    void appendTo(std::string& out) const override;
};
