// The translation unit the test programs' shared precompiled header is made
// with; the header itself is listed in tests/CMakeLists.txt.
