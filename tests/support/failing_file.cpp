#include "support/failing_file.h"

#include <cerrno>

namespace tolva::testing {

long FailingFile::Read(void* buffer, std::size_t size) {
    if (faults_->reads++ < faults_->goodReads) return File::Read(buffer, size);
    SetFailure(EIO);
    return -1;
}

bool FailingFile::Write(const void* data, std::size_t size) {
    if (faults_->writes++ < faults_->goodWrites && size <= faults_->goodBytes - faults_->bytesWritten) {
        faults_->bytesWritten += size;
        return File::Write(data, size);
    }
    SetFailure(ENOSPC);
    return false;
}

bool FailingFile::CreateNewAt(int folder, const std::string& name, mode_t mode) {
    if (faults_->createErrno == 0) return File::CreateNewAt(folder, name, mode);
    Close();
    SetFailure(faults_->createErrno);
    return false;
}

std::function<std::unique_ptr<File>()> FailingFiles(const std::shared_ptr<FileFaults>& faults) {
    return [faults] { return std::make_unique<FailingFile>(faults); };
}

std::function<std::unique_ptr<File>()> FailingFiles(const FileFaults& faults) {
    return FailingFiles(std::make_shared<FileFaults>(faults));
}

}  // namespace tolva::testing
