#pragma once

namespace vyr::album {

// How a recovery scan ended, as the loader passes it on to the front end that started it.
enum class ScanOutcome {
    Recovered,  // two rows or more, listed and ticked
    NothingFound,  // "Sorry cannot locate files to recover."
    Failed,  // "Sorry cannot recover files."
    Stopped,  // the window asked to stop (Close during a scan); nothing more is shown
};

}  // namespace vyr::album
