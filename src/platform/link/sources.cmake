target_sources(qvplatform PRIVATE)
