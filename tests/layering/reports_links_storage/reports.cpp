int Reports() { return 0; }
