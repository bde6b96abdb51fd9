# mypy --strict must reject this file: a text is no number.
import vexa2

vexa2.sin("abc")
