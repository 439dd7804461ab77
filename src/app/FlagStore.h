#pragma once

struct Session;
class SettingsStore;

// RtcFlag and MidFlag outlive the program in the per-user store
// ("ZEV1100" / "Data" / "RTC" and "MID", text "True" or "False").
void restoreFlags(Session &session, SettingsStore &store);
void storeFlags(const Session &session, SettingsStore &store);
