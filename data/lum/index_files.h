#pragma once
// TLumIndexFiles: the extra index files a dataset opens with its cursor, a
// sorted list of file names owned by the dataset. Changing the list while
// the dataset is open opens or closes the file at once; every change leaves
// the dataset's index definitions to be read again.
#include <cstddef>
#include <string>
#include <vector>

namespace lum {

class TLumDataSet;

class TLumIndexFiles {
public:
    // ELUMDatabaseError "TLumIndexFiles instances require a non-nil owner"
    // without a dataset.
    explicit TLumIndexFiles(TLumDataSet* owner);
    TLumIndexFiles(const TLumIndexFiles&) = delete;
    TLumIndexFiles& operator=(const TLumIndexFiles&) = delete;

    std::size_t Count() const { return names_.size(); }
    bool empty() const { return names_.empty(); }
    const std::string& operator[](std::size_t index) const { return names_.at(index); }
    std::vector<std::string>::const_iterator begin() const { return names_.begin(); }
    std::vector<std::string>::const_iterator end() const { return names_.end(); }
    // The position of a name (letter case ignored), -1 when it is not listed.
    int IndexOf(const std::string& name) const;

    // A name already listed (letter case ignored) is ignored. Otherwise the
    // file is opened when the dataset is open (a failure leaves the list as
    // it was), the index definitions go out of date, and the name is added
    // in sorted place.
    void Add(const std::string& name);
    // Closes the file when the dataset is open, marks the index definitions
    // out of date, then removes the name.
    void Delete(std::size_t index);
    // Closes every listed file when the dataset is open, then empties the list.
    void Clear();
    // The list becomes these names, through Clear and Add.
    void Assign(const std::vector<std::string>& names);

private:
    TLumDataSet& owner_;
    std::vector<std::string> names_;
};

}  // namespace lum
