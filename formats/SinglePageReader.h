// What the readers of one-page files (JPEG, PNG, BMP) share: the one page,
// asked for as page 0, and no samples left behind by a page that failed; and,
// for JPEG and PNG, the file's bytes taken whole for their decoder.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "formats/PageDecoding.h"
#include "formats/PageReader.h"

namespace formats {

class SinglePageReader : public PageReader {
public:
    int PageCount() const final { return 1; }
    // Refuses any page but 0 ("no page N in a JPEG file"), else ReadPage.
    void Read(int index, PageImage& page) final;

protected:
    explicit SinglePageReader(const char* format) : format_(format) {}
    // Decodes the file's page; throws as Read does.
    virtual void ReadPage(PageImage& page) = 0;

private:
    const char* format_;
};

// A one-page reader whose decoder takes the whole file at once: the bytes in
// memory, or read from the file for each read and released after it.
class WholeFileReader : public SinglePageReader {
protected:
    WholeFileReader(const char* format, FileSource source, std::int64_t maxPixels)
        : SinglePageReader(format), source_(std::move(source)), maxPixels_(maxPixels) {}
    // Decodes the page of `bytes`, refusing one of more than maxPixels pixels.
    virtual void DecodeBytes(const std::vector<std::uint8_t>& bytes, std::int64_t maxPixels, PageImage& page) = 0;

private:
    void ReadPage(PageImage& page) final;

    FileSource source_;
    std::int64_t maxPixels_;
};

}  // namespace formats
