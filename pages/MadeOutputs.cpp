// The check is made just before the rename that would replace the file, under
// the lock that also covers recording what the rename made.
#include "pages/MadeOutputs.h"

#include <sys/stat.h>

#include "formats/PageReader.h"
#include "pages/QuotedName.h"

void MadeOutputs::Commit(PageWriter& writer, const std::string& path, const std::string& shownPath,
                         const std::string& shownInput) {
    const std::lock_guard<std::mutex> guard(lock_);
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        const auto made = inputOf_.find({status.st_dev, status.st_ino});
        if (made != inputOf_.end())
            throw PageRefused("its output " + QuotedName(shownPath) + " is already the output of " +
                              QuotedName(made->second));
    }
    writer.Commit();
    if (::stat(path.c_str(), &status) == 0) inputOf_[{status.st_dev, status.st_ino}] = shownInput;
}
