#include "support/failing_file.h"

#include <cerrno>

namespace tolva::testing {

long FailingFile::Read(void* buffer, std::size_t size) {
    if (faults_->reads++ < faults_->goodReads) return File::Read(buffer, size < faults_->readPiece ? size : faults_->readPiece);
    SetFailure(EIO);
    return -1;
}

bool FailingFile::Write(const void* data, std::size_t size) {
    if (faults_->writes++ >= faults_->goodWrites) {
        SetFailure(faults_->writeErrno);
        return false;
    }
    const std::size_t room = faults_->goodBytes - faults_->bytesWritten;
    const std::size_t taken = size < room ? size : room;
    faults_->bytesWritten += taken;
    if (!File::Write(data, taken)) return false;
    if (taken == size) return true;
    SetFailure(faults_->writeErrno);
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
