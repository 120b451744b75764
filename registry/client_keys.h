// The client's registry keys below HKEY_LOCAL_MACHINE, as the installer and
// the credential tool read and write them.
#pragma once

// Where the installed client records its folder ("BaseDirectory").
inline constexpr char kCurrentVersionKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion";
// The machine's credentials ("MachineId", "AccessToken") and "VendorId".
inline constexpr char kPersistentKey[] =
    "Software\\Quintar\\Bramblequist\\CurrentVersion\\Persistent";
// The service's web addresses, one named value each.
inline constexpr char kWebUrlsKey[] = "Software\\Quintar\\Bramblequist\\CurrentVersion\\WebUrls";
