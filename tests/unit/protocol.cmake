# protocol tests
