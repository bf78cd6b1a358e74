# measure tests
