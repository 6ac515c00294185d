int Storage() { return 0; }
