#pragma once
// The storage of a URL set: the file or folder it is opened on, read from and written to,
// through the codec of its format (formats/format_codec.h). A SetStorage is bound to one set
// for its life and must not outlive it; it owns the set's open file, the set owns the entries
// and the text they borrow, so a set read through one storage may be written through another.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "formats/file_image.h"
#include "formats/format_codec.h"
#include "model/set_kinds.h"
#include "model/url_set.h"
#include "platform/atomic_replace.h"
#include "platform/file.h"
#include "platform/person.h"

namespace tolva {

// What may become of a file in the way of a new set.
enum class ReplaceDecision {
    Replace,  // Open goes on; the file is replaced whole when the set is written
    Refuse,   // Open fails with its message that the set already exists
    Failed,   // Open fails; the step that failed (a backup) has shown its own message
    Cancel,   // the person took the command back: Open fails silently, nothing changed
};

// What Open(CreateNew) does with a destination that is in the way or missing. A translation
// asks the person (translate/destination.h); without questions Open refuses an existing file
// or folder and creates no missing folder. An existing file that may be replaced stays as it
// is until the set is written, so a failed or killed run leaves it whole. The folder questions
// return whether Open may go on: with the existing folder, or with the missing folder created.
class DestinationQuestions {
public:
    virtual ReplaceDecision ReplaceExistingDestination(UrlSet& set) const = 0;
    virtual bool UseExistingDestinationFolder(UrlSet& set) const = 0;
    virtual bool CreateMissingDestinationFolder(UrlSet& set) const = 0;

protected:
    ~DestinationQuestions() = default;
};

class SetStorage {
public:
    using FileFactory = std::function<std::unique_ptr<File>()>;

    explicit SetStorage(UrlSet& set) : set_(set) {}
    ~SetStorage() { CloseFile(); }
    SetStorage(const SetStorage&) = delete;
    SetStorage& operator=(const SetStorage&) = delete;

    UrlSet& Set() const { return set_; }

    // Tests replace the files the storage opens, to inject faults.
    void SetFileFactory(FileFactory factory) { fileFactory_ = std::move(factory); }
    // Opens the set's file or folder at setLocation: an existing one to read (or to save back),
    // or a new one to write, with questions, when given, for a destination in the way.
    int Open(UrlSetOpenMode mode, UrlSetFormat setFormat, const std::string& setLocation,
             const DestinationQuestions* questions = nullptr);
    // Whether the last Open failed because the person cancelled a question: nothing was
    // changed or shown, and the command ends quietly.
    bool OpenCanceled() const { return openCanceled_; }
    int Read(TextControl* statusText);
    // statusText, when given, counts the entries as the writer reaches them ("Saving item %d"),
    // so a long save keeps a window that shows it alive.
    int Write(TextControl* statusText = nullptr);
    // Whether a set opened with OpenExisting could be written back where it was read from,
    // found without changing anything there; shows the message a save would show if not.
    int CanWriteBack();
    void CloseFile();
    // Closes the file and empties the set.
    int Close();

    // Hands over the whole file, as text the set keeps until its Clear, so a reader may borrow
    // its entries' text from it (EntryText::Borrow). Returns false after a read error.
    bool TakeRest(std::string_view& rest);
    // The same for a reader that takes the bytes in as they arrive (LineScanner): a large
    // file is read on another thread meanwhile. Null after a failure. EndArriving must come
    // before the reader returns, however it returns (ArrivingBytes sees to it); it is false
    // after a read error.
    FileImage* TakeArriving();
    bool EndArriving(FileImage& image);
    bool ReadFailed() const { return readFailed_; }
    bool HasFile() const { return file_ && file_->IsOpen(); }
    File* GetFile() const { return file_.get(); }
    // Hands the open file over to a stream that reads it while the storage goes on to another.
    std::unique_ptr<File> TakeFile() { return std::move(file_); }
    // Whether the file opened to read shows anything of its format in its first bytes.
    bool ShowsFormat() const { return showsFormat_; }

    // Hands the set to stream for a writer that walks it once (FormatCodec::writesInOneWalk):
    // the set is filled a batch at a time as Next walks it (UrlSet::RefillFrom). The stream
    // and what it appends stay the caller's to convert. Write then fails when the stream
    // failed, so a store read only in part is never saved as whole.
    void Stream(SetStream* stream) { set_.RefillFrom(stream); }
    bool StreamFailed() const { return set_.RefillFailed(); }

    // Names the last Write stored otherwise than the set held them (a writer that numbers
    // namesakes or shortens names to fit its files), for the run's count of names adapted.
    void CountAdaptedName() { ++adaptedNames_; }
    int AdaptedNames() const { return adaptedNames_; }

private:
    // The codec of the set's format, looked up once for each format the set is given.
    const FormatCodec* Codec();
    int OpenFile(UrlSetOpenMode mode, const DestinationQuestions* questions, bool writable);
    enum class Creation : int;
    Creation CreateFile(File& file, const DestinationQuestions* questions);
    int OpenFolder(UrlSetOpenMode mode, const DestinationQuestions* questions);
    // The rest of the file as an image the set keeps, loaded on another thread when mayArrive
    // and the file is large; null after a failure.
    FileImage* TakeImage(bool mayArrive);
    int WriteChecked();
    int WriteByFormat();
    int WriteReplacing();
    std::string ReplaceTarget() const;
    std::unique_ptr<File> MakeFile() const;

    UrlSet& set_;
    const FormatCodec* codec_ = nullptr;
    FileFactory fileFactory_;
    std::unique_ptr<File> file_;
    bool openedExisting_ = false;
    bool openCanceled_ = false;
    int adaptedNames_ = 0;
    // A new file is written to a temporary beside its location and put in place by Write, so
    // the location holds what it held before or the whole new set, never a part of it.
    std::unique_ptr<AtomicReplace> creating_;
    // Kept after the file is closed, so Read can still tell that reading it failed.
    bool readFailed_ = false;
    // Why the last new file could not be made (an errno), for the message that says so.
    int createErrno_ = 0;
    // Whether the file opened to read shows anything of its format in its first bytes (or is
    // empty): a file that shows nothing and gives nothing is no URL set.
    bool showsFormat_ = true;
};

// A storage's bytes for one reading, as they arrive (SetStorage::TakeArriving); the load
// ends when this goes, whatever ends the reading.
class ArrivingBytes {
public:
    explicit ArrivingBytes(SetStorage& storage) : storage_(storage), image_(storage.TakeArriving()) {}
    ~ArrivingBytes() {
        if (image_ != nullptr) storage_.EndArriving(*image_);
    }
    ArrivingBytes(const ArrivingBytes&) = delete;
    ArrivingBytes& operator=(const ArrivingBytes&) = delete;

    // Null after a failure.
    FileImage* Image() const { return image_; }

private:
    SetStorage& storage_;
    FileImage* image_;
};

}  // namespace tolva
