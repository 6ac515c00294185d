int Bad() { return 0; }
