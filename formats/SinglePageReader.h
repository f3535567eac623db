// What the readers of one-page files (JPEG, PNG, BMP) share: the one page,
// asked for as page 0, and no samples left behind by a page that failed.
#pragma once

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

}  // namespace formats
