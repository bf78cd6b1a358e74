target_sources(qvl70s-cli PRIVATE)
