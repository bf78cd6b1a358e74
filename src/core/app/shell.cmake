target_sources(qvcore PRIVATE)
