# statistics tests
