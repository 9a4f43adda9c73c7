// CConversionProject: one conversion project, the items it owns in the order
// they were added, its modified mark, and its ".cnv" file: the six bytes
// "AUD200" followed by one item record per item (ItemRecord.h), nothing else.
//
// The project knows no widgets. Whoever shows it (the project window, the
// command line) watches it through IProjectObserver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/OwningList.h"
#include "project/ProjectItem.h"

class IProjectObserver {
public:
    virtual ~IProjectObserver() = default;
    // An item joined the project: give it a row (the window puts it at the
    // top of its list). False when no row can be made; the project then takes
    // the item back and deletes it.
    virtual bool InsertItemRow(CProjectItem& item) = 0;
    // Opening ended with items shown: column widths and the info area follow.
    virtual void ProjectOpened() {}
};

class CConversionProject {
public:
    static constexpr char kSignature[] = {'A', 'U', 'D', '2', '0', '0'};
    static constexpr std::size_t kSignatureSize = sizeof kSignature;

    // libraries: the application's list, which outlives the project.
    explicit CConversionProject(const CLibraryList& libraries);
    CConversionProject(const CConversionProject&) = delete;
    CConversionProject& operator=(const CConversionProject&) = delete;
    virtual ~CConversionProject() = default;

    // Not owned; null: nobody shows the project.
    void SetObserver(IProjectObserver* observer) { m_observer = observer; }

    const COwningList<CProjectItem>& GetItems() const { return m_items; }
    const CLibraryList& GetLibraries() const { return m_libraries; }

    // Appends item at the tail and asks the observer for its row. False when
    // the row was refused: the item is deleted again and the project is as
    // before. The caller reports and marks the project modified.
    bool AddItem(std::unique_ptr<CProjectItem> item);
    // Takes item out of the project and hands it back; null when it is not
    // one of the project's items.
    std::unique_ptr<CProjectItem> RemoveItem(const CProjectItem* item);

    // Byte for byte, case-sensitive.
    bool HasItemWithSource(std::string_view sourcePath) const;

    bool IsModified() const { return m_modified; }
    void SetModified(bool modified = true) { m_modified = modified; }

    // Writes the project file. The old file at path is replaced only once the
    // new one is completely on disk; after a failure (message 1054) it is left
    // as it was, and the modified mark too.
    bool Save(const std::string& path);

    // Fills this (new, empty) project from the file at path. False after
    // 1055 (cannot be opened or read) or 1056 (not a valid project file); the
    // caller then discards the project. Records that cannot become items are
    // left out with one message 1057 at the end; a source held twice is
    // skipped silently.
    bool Open(const std::string& path);

    // The file's bytes for the current items; false when an item's path is
    // too long to be stored.
    bool Serialize(std::vector<uint8_t>& bytes) const;

private:
    const CLibraryList& m_libraries;
    COwningList<CProjectItem> m_items;
    IProjectObserver* m_observer = nullptr;
    bool m_modified = false;
};
