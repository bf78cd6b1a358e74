# colour tests
