interface I { a(): void }
abstract class A { abstract m(): void; n() { return 1; } }
type T = { x: number };
const e = <div>{"x"}</div>;
