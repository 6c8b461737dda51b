/// doc
fn main() -> Result<(), E> {
    let x = f()?; // why
    Ok(())
}
struct S { a: u8 }
