# The fuzz targets, shared by the libFuzzer build (fuzz/CMakeLists.txt) and the corpus test
# of the normal build (tests/fuzz): name, source, and whether it reads fleet records (and so
# needs the record layers) or only a decoder that stands on Qt alone.
set(VESK_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VESK_FUZZ_TARGETS
  archive_entries:ArchiveEntriesFuzz.cpp:plain
  credential_file:CredentialFileFuzz.cpp:plain
  keychain_file:KeychainFileFuzz.cpp:plain
  multipart_form:MultipartFormFuzz.cpp:plain
  proc_files:ProcFilesFuzz.cpp:plain
  property_list:PropertyListFuzz.cpp:plain
  request_framing:RequestFramingFuzz.cpp:plain
  fleetd_bodies:FleetdBodiesFuzz.cpp:records
  policy_records:PolicyRecordsFuzz.cpp:records
  settings_export:SettingsExportFuzz.cpp:records
  wire_records:WireRecordsFuzz.cpp:records)
