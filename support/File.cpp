#include <system_error>

#include "support/File.h"

namespace vyr::support {

std::string OpenResult::Reason() const
{
    switch (error) {
    case OpenError::None: return {};
    case OpenError::CannotOpen: return std::generic_category().message(systemError);
    case OpenError::Folder: return "it is a folder, not a file";
    case OpenError::Fifo: return "it is a named pipe (FIFO), not a regular file";
    case OpenError::Socket: return "it is a socket, not a regular file";
    case OpenError::Device: return "it is a device, not a regular file";
    case OpenError::NotRegular: return "it is not a regular file";
    case OpenError::NotFolder: return "it is not a folder";
    }
    return {};
}

}  // namespace vyr::support
