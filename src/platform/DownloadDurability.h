#pragma once

// What a downloaded file must survive, said by whoever asks for the download. Either way the
// file takes its name in one rename, whole, only after the transfer ended complete.
enum class DownloadDurability {
    // A copy whose loss costs only a new download (a preview, a probe, an update package): no
    // wait for the disk. After a power cut the name may hold nothing; every reader checks the
    // file before it uses it.
    Cache,
    // A file the user keeps (a master): its bytes are on the disk before it takes its name, so a
    // disk that filled up or failed behind the writes fails the download and keeps the old file,
    // and a power cut leaves the old file or the whole new one.
    Synced,
};
