#include "DisplaySnapshot.h"

#include "DisplayReader.h"

DisplaySnapshot readDisplaySnapshot(size_t records)
{
    DisplaySnapshot snapshot;
    DisplayReader reader;
    if (!reader.isOpen()) {
        snapshot.openFailed = true;
        snapshot.error = reader.openError();
        return snapshot;
    }
    snapshot.records.resize(records);
    snapshot.records.resize(reader.read(snapshot.records.data(), records, snapshot.error));
    return snapshot;
}
